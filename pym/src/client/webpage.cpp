#include "client/webpage.h"

webpage::webpage(QObject* parent)
    : WebEnginePage(parent)
{
}
