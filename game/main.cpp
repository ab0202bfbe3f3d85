#include "engine/app/Entry.h"

int main() { return vd::sys::RunApplication(&vd::sys::CreateApplication); }
