// The talix command-line program (its commands come with the importer).
int main() { return 0; }
