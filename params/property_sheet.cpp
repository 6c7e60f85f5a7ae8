#include "params/property_sheet.h"

#include "params/parameter_set.h"

int ShowParameterSheet(platform::WindowHandle) {
    CopyDeviceToEdit();
    return 0;
}
