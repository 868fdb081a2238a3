// Every identifier the program shares with its resource script: resources, menu commands,
// controls. Plain macros, because the resource compiler reads this file too.
#pragma once

// Icon
#define IDI_APP_ICON 1

// Dialog templates
#define DLG_STARTUP_SCREEN 1001
#define DLG_SET_TIMER 1002
#define DLG_PREFERENCES 1003
#define DLG_ABOUT 1004
#define DLG_VIEW_PROGRAM_LOG 1005
#define DLG_WARNING_OVERTIME 1006
#define DLG_HOT_KEYS 1007
#define DLG_WEB_CLOCK 1008

// Menu and its commands
#define IDM_MAIN_MENU 2001
#define CMD_EXIT 2002
#define CMD_TIME_LIMIT 2003
#define CMD_FONT 2004
#define CMD_TEXT_COLOR 2005
#define CMD_BACKGROUND_COLOR 2006
#define CMD_PREFERENCES 2007
#define CMD_HELP_CONTENTS 2008
#define CMD_ABOUT 2009
#define CMD_VIEW_LOG 2010
// Commands of keys and clicks that have no menu item
#define CMD_FULL_SCREEN 2011
#define CMD_LEAVE_FULL_SCREEN 2012
// Menu commands after the first ones
#define CMD_TIME_REMAINING 2013
#define CMD_WARNING_OVERTIME 2014
#define CMD_ALWAYS_ON_TOP 2015
#define CMD_HOT_KEYS 2016
#define CMD_WEB_CLOCK 2017
// The recent limits' items, newest first: CMD_RECENT_LIMIT + 0 to 4
#define CMD_RECENT_LIMIT 2020

// Accelerators
#define IDA_ACCELERATORS 3001

// Main window buttons
#define BTN_START 3002
#define BTN_STOP 3004
#define BTN_RESET 3005
#define BTN_PAUSE 3006

// Built-in sounds (resource type WAVE)
#define IDW_ALARM 8001
#define IDW_TICK 8002

// The web clock's page (resource type RCDATA)
#define IDR_WEB_CLOCK_PAGE 8010

// Startup screen and About box
#define STATIC_APP_ICON 4001
#define STATIC_NOTICE 4002
#define BTN_VISIT_WEB_PAGE 4003

// Set Timer dialog
#define EDIT_HOURS 4011
#define EDIT_MINUTES 4012
#define EDIT_SECONDS 4013

// Preferences dialog
#define CHK_STARTUP_SCREEN 4001
#define CHK_PROGRAM_LOG 4002
#define CHK_ALARM 4003
#define EDIT_TICK_FILE 4004
#define EDIT_BUTTONS_LEFT 4005
#define EDIT_BUTTONS_TOP 4006
#define EDIT_DISPLAY_TOP 4007
#define EDIT_ALARM_FILE 4008
#define BTN_CHOOSE_ALARM 4009
#define BTN_CHOOSE_TICK 4010
#define STATIC_TICK_FILE_LABEL 4011
#define CHK_TICK 4012

// View Program Log dialog
#define STATIC_LOG_ENTRIES 4001
#define LIST_LOG_ENTRIES 4002
#define BTN_BROWSE_LOG_FOLDER 4003
#define BTN_DELETE_LOG 4004

// Warning and Overtime dialog
#define EDIT_WARNING_HOURS 4001
#define EDIT_WARNING_MINUTES 4002
#define EDIT_WARNING_SECONDS 4003
#define BTN_WARNING_COLOR 4004
#define STATIC_WARNING_SAMPLE 4005
#define CHK_OVERTIME 4006
#define BTN_OVERTIME_COLOR 4007
#define STATIC_OVERTIME_SAMPLE 4008

// Hot Keys dialog: one hot-key control a command, in the order of the options file's lines
#define HOTKEY_START_PAUSE 4001
#define HOTKEY_STOP 4002
#define HOTKEY_RESET 4003
#define HOTKEY_FULL_SCREEN 4004
#define HOTKEY_VIEW 4005
#define HOTKEY_SHOW 4006

// Web Clock dialog
#define CHK_WEB_CLOCK 4001
#define CHK_THIS_COMPUTER_ONLY 4002
#define CHK_LOCAL_NETWORK 4003
#define EDIT_WEB_PORT 4004
#define EDIT_WEB_ADDRESSES 4005
#define STATIC_WEB_PROBLEM 4006
#define BTN_OPEN_IN_BROWSER 4007
#define EDIT_WEB_PIN 4008
#define BTN_NEW_PIN 4009
