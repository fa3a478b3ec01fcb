#include "app/windows/vyr_app.h"

wxIMPLEMENT_APP(CVyrApp);
