// keys/field.cpp: not written yet
