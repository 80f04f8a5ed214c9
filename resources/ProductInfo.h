#pragma once

// The product's name, version, notice line and addresses: the one place that holds them.
// The resource script reads the macros (for the version resource); code uses the constants.
// The web address and the contact come from the build (CMake cache variables
// TIDEMARROW_WEB_ADDRESS and TIDEMARROW_CONTACT, empty by default).

#define TM_PRODUCT_TITLE "TIDEMARROW32 SE"
#define TM_PRODUCT_VERSION "2.01"
#define TM_PRODUCT_VERSION_NUMBERS 2, 0, 1, 0
#define TM_PRODUCT_ORGANISATION "TIDEMARROW Project"
#define TM_PRODUCT_NOTICE "(C) 2025-2026 TIDEMARROW Project"

#ifndef RC_INVOKED

#include <string>

#include "ProductAddresses.h"

#define TM_WIDEN_(text) L##text
#define TM_WIDEN(text) TM_WIDEN_(text)

// The application title, also the base name of the help file ("TIDEMARROW32 SE.chm").
inline constexpr wchar_t kProductTitle[] = TM_WIDEN(TM_PRODUCT_TITLE);
inline constexpr wchar_t kProductVersion[] = TM_WIDEN(TM_PRODUCT_VERSION);
// The rights holder, as the details page names the organisation.
inline constexpr wchar_t kProductOrganisation[] = TM_WIDEN(TM_PRODUCT_ORGANISATION);
// The notice line of the about box, the status bar and the version message: the rights
// holder and the years, short enough for the status bar's last panel.
inline constexpr wchar_t kProductNotice[] = TM_WIDEN(TM_PRODUCT_NOTICE);
// The product's web page (the about box's link, the web page command, the settings banner,
// the details page) and the contact e-mail address (the details page), as the build gave
// them; empty when it gave none, and then nothing offers them. One value per process, which a
// test of the build with addresses may set.
inline std::wstring& ProductWebAddress() {
    static std::wstring address = TM_WIDEN(TM_PRODUCT_WEB_ADDRESS);
    return address;
}
inline std::wstring& ProductContact() {
    static std::wstring contact = TM_WIDEN(TM_PRODUCT_CONTACT);
    return contact;
}

#endif
