#pragma once

class ConnectingStatusPage;

namespace TWG {
namespace Zanthic {

// Fills the kit's connecting page: a spinner and "Connecting..." over a Cancel button that
// emits the page's connectionCancelled.
void buildConnectingPageContent(ConnectingStatusPage* page);

} // namespace Zanthic
} // namespace TWG
