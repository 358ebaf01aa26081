// The program's entry point.
int main(int argc, char **argv) {
    return 0;
}
