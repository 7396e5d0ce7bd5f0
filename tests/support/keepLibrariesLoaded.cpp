// Preloaded into the sanitizer build's whole-demo run: makes dlclose keep every library loaded. SDL
// unloads the OpenGL driver's libraries as it quits, and the blocks they still point to from their own
// globals would then read as leaks; kept loaded, only memory nothing points to is reported.
extern "C" int dlclose(void*) {
    return 0;
}
