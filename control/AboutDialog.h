// The About box of the control, as a dialog template the container builds and shows.
#pragma once

#include "framework/DialogTemplate.h"

constexpr uint32_t IDD_ABOUTBOX_MOVITREL = 1;
constexpr int32_t IDI_ABOUTDLL = 1;  // the icon the box shows

CDialogTemplate MovitrelAboutDialog();
