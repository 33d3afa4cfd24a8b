// registry/walk.cpp: not written yet
