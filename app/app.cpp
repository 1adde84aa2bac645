#include "app/app.h"

HINSTANCE appInstance = nullptr;
