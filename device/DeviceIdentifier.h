#pragma once

class LinkState;
class ProductCatalogue;

// Asks the connected device for its version bytes and looks them up in the
// catalogue. True when the device answered, whatever the catalogue knows of
// it; false leaves the previous identification untouched.
bool IdentifyDevice(LinkState& state, ProductCatalogue& catalogue);
