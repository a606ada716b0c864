/* The configuration dialog's template and control ids, written once: the
   resource script includes this file (the resource compiler reads its
   #defines), config_dialog.h names them for the code, and the end-to-end
   layout check reads them from here. */
#ifndef QUILLET_CONFIG_DIALOG_IDS_H
#define QUILLET_CONFIG_DIALOG_IDS_H

#define QUILLET_DIALOG_CONFIG 102
#define QUILLET_CONTROL_PORT 1001
#define QUILLET_CONTROL_MODE 1002 /* hidden, never read */
#define QUILLET_CONTROL_PLUGIN_MENUS 1003
#define QUILLET_CONTROL_STATUS 1004
#define QUILLET_CONTROL_PAUSE_ON_CALL 1005
#define QUILLET_CONTROL_REMOTE_KEYS 1006
#define QUILLET_CONTROL_CHARSET 1007
#define QUILLET_CONTROL_FIND_TRACK 1008
#define QUILLET_CONTROL_FOLLOW_TRACK 1009
#define QUILLET_CONTROL_PLAY_MODES 1010
#define QUILLET_CONTROL_PAUSE_WHEN_AWAY 1011
#define QUILLET_CONTROL_LIBRARY 1012
/* Windows' own IDOK and IDCANCEL: the dialog manager sends them for Enter,
   Escape and the close box. */
#define QUILLET_CONTROL_OK 1
#define QUILLET_CONTROL_CANCEL 2
#define QUILLET_CONTROL_APPLY 3

#endif
