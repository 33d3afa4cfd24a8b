// registry/modules.cpp: not written yet
