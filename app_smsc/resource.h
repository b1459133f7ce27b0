// Resource numbers of the tray program.
#pragma once

#define IDR_TRAY_ENABLE 129
#define IDR_TRAY_DISABLE 130
#define IDI_REMOTE_OFF 132
#define IDI_REMOTE_ON 133

#define IDM_ENABLE 32771
#define IDM_DISABLE 32772
#define IDM_HELP 32774
