#include "server/WebServer_CheckInternet.hpp"

bool WebServer_CheckInternet::isNetworkAvailable() const { return m_access.probe().ok(); }
