#include "ProgramRun.h"

namespace orvex::test {

ProgramResult runProgram(const std::vector<std::string>& args, const std::map<std::string, std::string>& env) {
    return ProgramRun(args, env).finish();
}

}  // namespace orvex::test
