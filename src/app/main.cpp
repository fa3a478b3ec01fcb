#include "app/vyr_app.h"

wxIMPLEMENT_APP(CVyrApp);
