#include <windows.h>

#include "client/app/quorin_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t* arguments, int) {
  quorin::client::CQuorinFreeApp app;
  return app.Run(arguments != nullptr ? arguments : L"");
}
