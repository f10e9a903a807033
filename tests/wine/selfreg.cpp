// Calls a module's DllRegisterServer or DllUnregisterServer directly and prints its result,
// which regsvr32 folds into one exit code.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3 ||
        (std::strcmp(argv[2], "register") != 0 && std::strcmp(argv[2], "unregister") != 0)) {
        std::fprintf(stderr, "usage: selfreg MODULE register|unregister\n");
        return 2;
    }
    HMODULE module = LoadLibraryA(argv[1]);
    if (!module) {
        std::fprintf(stderr, "selfreg: cannot load %s (%lu)\n", argv[1], GetLastError());
        return 2;
    }
    using Entry = HRESULT(WINAPI*)();
    const char* name =
        std::strcmp(argv[2], "register") == 0 ? "DllRegisterServer" : "DllUnregisterServer";
    auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!entry) {
        std::fprintf(stderr, "selfreg: %s is not exported\n", name);
        return 2;
    }
    std::printf("%s 0x%08lX\n", name, static_cast<unsigned long>(entry()));
    return 0;
}
