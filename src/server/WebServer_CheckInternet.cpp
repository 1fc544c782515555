#include "server/WebServer_CheckInternet.hpp"

#include <new>

bool WebServer_CheckInternet::isNetworkAvailable() const {
    try {
        return m_access.probe().ok();
    } catch (const std::bad_alloc&) {
        return false;
    }
}
