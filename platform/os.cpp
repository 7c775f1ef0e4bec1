#include "platform/os.h"

namespace platform {

namespace {
Os* g_current = nullptr;
}

Os& CurrentOs() { return g_current ? *g_current : DefaultOs(); }

void SetOs(Os* os) { g_current = os; }

}  // namespace platform
