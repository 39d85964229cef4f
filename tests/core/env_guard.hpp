// EnvGuard now lives with the other shared helpers.
#pragma once

#include "support/private_env.hpp"
