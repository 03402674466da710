int RunSingleInstanceHelper(int, char**) {
    return -1;
}
