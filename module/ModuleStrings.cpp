// The module's strings, for its resource table on every platform.
#include "module/ModuleClasses.h"
#include "proppages/PageResources.h"

CString ModuleString(uint32_t id) {
    return id == IDS_MOVITREL ? CString("Movitrel Control") : PageString(id);
}
