#include <windows.h>

#include "client/app/win32/quorin_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t* arguments, int) {
  quorin::client::CQuorinFreeApp app;
  return app.Run(arguments != nullptr ? arguments : L"");
}
