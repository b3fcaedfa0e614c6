// Placeholder until the registry remover lands.
#include "engine/RegistryRemover.h"
void RemoveRegistryEntries(const char*, const char*) {}
const char* LastPathComponent(const char*) { return 0; }
