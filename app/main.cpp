// Program entry: the window issue fills this in.
int main() { return 0; }
