// keys/build.cpp: not written yet
