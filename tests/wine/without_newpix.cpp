// A Quelvano.dll that the loader finds but that lacks NewPix: a program
// importing NewPix from it must not start.
extern "C" __declspec(dllexport) int OldPix() {
    return 0;
}
