/* A stand-in for the product's library: a real Windows DLL with one export. */
__declspec(dllexport) int PlenumVersion(void) { return 0x0402; }
