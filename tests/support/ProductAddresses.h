#pragma once

#include <utility>

#include "resources/ProductInfo.h"

// While it lives, the process has the web address and contact of a build given them (or none).
struct BuildAddresses {
    explicit BuildAddresses(std::wstring web = L"https://www.example.com/tidemarrow/",
                            std::wstring contact = L"support@example.com")
        : web(std::exchange(ProductWebAddress(), std::move(web))), contact(std::exchange(ProductContact(), std::move(contact))) {}
    ~BuildAddresses() { ProductWebAddress() = web, ProductContact() = contact; }
    std::wstring web, contact;
};
