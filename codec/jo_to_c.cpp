// codec/jo_to_c.cpp: not written yet
