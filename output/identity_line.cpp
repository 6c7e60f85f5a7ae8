#include "output/identity_line.h"

#include <cstdio>

#include "link/protocol.h"

void BuildIdentityLine(int32_t measurement, char out[kIdentityLineSize]) {
    char identity[kIdentitySize];
    ReadIdentity(identity);
    identity[kIdentitySize - 1] = 0;
    if (identity[0] != 0 && measurement != -1) {
        std::snprintf(out, kIdentityLineSize, "Tessaron: %s%25s", identity, "");
    } else {
        std::snprintf(out, kIdentityLineSize, "Tessaron: - - -%27s", "");
    }
}
