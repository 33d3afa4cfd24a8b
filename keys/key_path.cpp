// keys/key_path.cpp: not written yet
