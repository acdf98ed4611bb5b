#include "shell/AddressQuery.h"

#include "discovery/BonjourInfoQuery.h"

namespace {

class UnicastAddressQuery : public AddressQuery {
public:
    Finished& finished() override { return query_.finished; }
    void query(const std::string& address, int timeoutMs, const std::string& serviceName) override
    {
        query_.query(address, timeoutMs, serviceName);
    }

private:
    TWG::BonjourInfoQuery query_;
};

} // namespace

std::unique_ptr<AddressQuery> makeUnicastAddressQuery()
{
    return std::make_unique<UnicastAddressQuery>();
}
