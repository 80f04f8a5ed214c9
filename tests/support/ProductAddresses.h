#pragma once

// Gives the process the web address and contact of a build configured with them (or, with
// empty texts, of one without), for as long as it lives; the build's own come back after.

#include <string>
#include <utility>

#include "resources/ProductInfo.h"

class BuildAddresses {
public:
    explicit BuildAddresses(std::wstring web = L"https://www.example.com/tidemarrow/",
                            std::wstring contact = L"support@example.com")
        : web_(std::exchange(ProductWebAddress(), std::move(web))),
          contact_(std::exchange(ProductContact(), std::move(contact))) {}
    ~BuildAddresses() {
        ProductWebAddress() = web_;
        ProductContact() = contact_;
    }
    BuildAddresses(const BuildAddresses&) = delete;
    BuildAddresses& operator=(const BuildAddresses&) = delete;

private:
    std::wstring web_;
    std::wstring contact_;
};
