#pragma once

// The script lines of the four notifications as the companion must receive them, written
// out byte by byte in code page 932: each backslash is 0x5C, the wave dash 0x81 0x60 and
// every "…" 0x81 0x63.

inline constexpr char kStartScriptBytes[] =
    "Script: \\h\\s5TIDEMARROW32 SE\202\276\202\346 \\n\214\251\202\347\202\352\202\304\202\315\202\342\202\316"
    "\202\242\203t\203@\203C\203\213\202\310\202\347\202\250\202\334\202\251\202\271\201`\201B\\u\\s0\203\215"
    "\203O\203A\203E\203g\216\236\202\311\216g\227p\202\265\202\275\202\301\202\304\202\310\201[(\215\354\216"
    "\322\222k)\201c\\e";

inline constexpr char kRunEndScriptBytes[] =
    "Script: \\h\\s0\215\354\213\306\202\252\212\256\227\271\202\265\202\334\202\265\202\275\201B \\n\\w9\\w9"
    "\202\305\202\340HD\202\360\224j\212\374\202\267\202\351\213C\202\310\202\347\201c\\n\\w9\\w9\202\263\202"
    "\347\202\311\203n\203\223\203}\201[\202\305\225\262\215\323\202\265\202\304\202\313\201B\\u\\s0\201c\202"
    "\334\201A\216\314\202\304\202\351\202\310\202\347\202\273\202\352\202\252\212m\216\300\202\342\202\310"
    "\201B\\e";

// The notice line sits between "\n\w9" and the closing remark.
inline constexpr char kVersionScriptBytes[] =
    "Script: \\h\\s5TIDEMARROW32 SE\\n\\w9Version:\\n\\w9"
    "Copyright (C) 2025-2026 TIDEMARROW Project"
    "\\w9\\u\\s0\215\354\216\322\202\315\214\203\202\265\202\255\224\346\202\352\202\306\202\351\202\252\202"
    "\310\201c\\e";

inline constexpr char kSettingsScriptBytes[] =
    "Script: \\h\\s0\220\335\222\350\202\360\225\317\215X\217o\227\210\202\334\202\267\201B\\w9\\u\\s0\226\363"
    "\225\252\202\251\202\347\202\361\203g\203R\202\315\202\273\202\314\202\334\202\334\202\252\220\204\217"
    "\247\202\342\201B\\e";
