#pragma once

// A seam through which tests steer how the URL history object is made. The program never
// changes it; the default asks COM for an in-process server.

#include <windows.h>

// Makes the object of class `clsid` and gives its interface `iid` in `object`.
using UrlHistoryMaker = HRESULT (*)(const CLSID& clsid, const IID& iid, void** object);

// Replaces the maker and returns the previous one; null puts the default back.
UrlHistoryMaker SetUrlHistoryMaker(UrlHistoryMaker maker);
