// The maker's application the repair reinstalls: a program that starts and ends.
int main() { return 0; }
