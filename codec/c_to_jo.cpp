// codec/c_to_jo.cpp: not written yet
