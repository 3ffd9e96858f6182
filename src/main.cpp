// Placeholder entry point until the window and the scene land.
int main() { return 0; }
