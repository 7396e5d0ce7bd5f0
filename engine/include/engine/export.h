// Marks the names the engine library exports. Everything else in libengine.so stays hidden.
#pragma once

#define ENGINE_API __attribute__((visibility("default")))
