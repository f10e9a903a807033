// The pages' resources: dialog templates 200, 218 and 220 and the strings that name the pages.
// The module carries the same templates and strings in its resource table.
#pragma once

#include "framework/DialogTemplate.h"

// Files/Dir page.
constexpr uint32_t IDD_PROPPAGE_MOVITREL = 200;
constexpr uint32_t IDS_MOVITREL_PPG_CAPTION = 200;  // "Files/Dir"
constexpr uint32_t IDS_MOVITREL_PPG = 2;            // "Movitrel Property Page"
constexpr int32_t IDC_DELAY = 201;
constexpr int32_t IDC_MAXIMIZE = 202;
constexpr int32_t IDC_DIR = 204;
constexpr int32_t IDC_BASEFILE = 214;
constexpr int32_t IDC_SORT_NONE = 240;
constexpr int32_t IDC_SORT_NUMBER = 241;
constexpr int32_t IDC_SORT_TIME = 236;

// Controls page.
constexpr uint32_t IDD_PROPPAGE_CONTROL = 218;
constexpr uint32_t IDS_CONTROL_PPG_CAPTION = 202;  // "Controls"
constexpr uint32_t IDS_CONTROL_PPG = 201;          // "MovitrelPropertyPage2"
constexpr int32_t IDC_SHOW_BUTTONS = 203;
constexpr int32_t IDC_PAUSE = 206;
constexpr int32_t IDC_SHOW_SLIDER = 207;
constexpr int32_t IDC_LOOP = 248;
constexpr int32_t IDC_CMD_NOACTION = 245;
constexpr int32_t IDC_CMD_PLAY = 246;
constexpr int32_t IDC_CMD_RPLAY = 247;
constexpr int32_t IDC_CMD_FF = 242;
constexpr int32_t IDC_CMD_REW = 253;
constexpr int32_t IDC_CMD_STEPFOR = 251;
constexpr int32_t IDC_CMD_STEPBACK = 252;
constexpr int32_t IDC_CMD_STOP = 254;

// Playback page.
constexpr uint32_t IDD_PROPPAGE_PLAYBACK = 220;
constexpr uint32_t IDS_PLAYBACK_PPG_CAPTION = 204;  // "Playback"
constexpr uint32_t IDS_PLAYBACK_PPG = 203;          // "MovitrelPropertyPage3"
constexpr int32_t IDC_CACHESIZE = 260;
constexpr int32_t IDC_LASTDELAY = 261;
constexpr int32_t IDC_WATCH = 262;
constexpr int32_t IDC_BOUNCE = 263;
constexpr int32_t IDC_DECODETOFIT = 264;

CDialogTemplate MovitrelPropPageTemplate();
CDialogTemplate ControlPropPageTemplate();
CDialogTemplate PlaybackPropPageTemplate();
// The pages' strings (ids 2, 200 to 204); "" for any other id.
CString PageString(uint32_t id);
