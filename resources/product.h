// Texts that say what the program is, shared by the resource script and the code, so that the
// About box's hint, its Visit button and the address it opens never disagree. Plain macros,
// because the resource compiler reads this file too. The version text comes from version.h,
// which the build generates from the project's version number.
#pragma once

#define VANTOREL_NOTICE "Copyright (c) 2026 the Vantorel developers"
#define VANTOREL_WEB_PAGE "https://vantorel.example.com/"

#ifndef RC_INVOKED
namespace vantorel {

constexpr char kProductWebPage[] = VANTOREL_WEB_PAGE;

}  // namespace vantorel
#endif
