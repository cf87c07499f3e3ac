#pragma once

namespace tavix {

// Registers a statically linked resource group; safe to call more than once.
void initTemplatesResources();
void initSoundsResources();
void initPicturesResources();

} // namespace tavix
