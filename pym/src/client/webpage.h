// The page shown in the web window.
#pragma once

#include "client/web_engine_page.h"

class webpage : public WebEnginePage
{
    Q_OBJECT

public:
    explicit webpage(QObject* parent = nullptr);
};
