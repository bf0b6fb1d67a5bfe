#include "language/Language.h"

Lang& Lang::Instance() {
    // Never destroyed: readers may still copy texts while the program shuts down.
    static Lang* const instance = new Lang;
    return *instance;
}
