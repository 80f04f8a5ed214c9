#pragma once

// The product's name, version, notice line and addresses: the one place that holds them.
// The resource script reads the macros (for the version resource); code uses the constants.

#define TM_PRODUCT_TITLE "TIDEMARROW32 SE"
#define TM_PRODUCT_VERSION "2.01"
#define TM_PRODUCT_VERSION_NUMBERS 2, 0, 1, 0
#define TM_PRODUCT_ORGANISATION "TIDEMARROW Project"
#define TM_PRODUCT_NOTICE "(C) 2025-2026 TIDEMARROW Project"
#define TM_PRODUCT_WEB_ADDRESS "https://www.example.com/tidemarrow/"
#define TM_PRODUCT_CONTACT "support@example.com"

#ifndef RC_INVOKED

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
// The product's web page: the about box's link, the web page command, the details page.
inline constexpr wchar_t kProductWebAddress[] = TM_WIDEN(TM_PRODUCT_WEB_ADDRESS);
// The contact e-mail address shown on the details page.
inline constexpr wchar_t kProductContact[] = TM_WIDEN(TM_PRODUCT_CONTACT);

#endif
