#include "core/edition.h"

const bool stb::Contribuinte = true;
