// codec/canonical.cpp: not written yet
