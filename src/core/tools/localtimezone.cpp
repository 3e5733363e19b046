#include "localtimezone.h"

#include <cstdlib>
#include <ctime>

namespace LocalTimeZone
{
bool pin()
{
    if (std::getenv("TZ"))
        return false;
    if (::setenv("TZ", SystemZone, 0) != 0)
        return false;
    ::tzset();
    return true;
}
} // namespace LocalTimeZone
