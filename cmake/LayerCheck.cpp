// The program of a library's link check (see CMakeLists.txt): it does nothing, but the whole
// library is linked into it, so every symbol the library uses must come from below it.
int main() {
    return 0;
}
