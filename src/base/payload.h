// The payload archive in the installer's resources and the scratch buffer.
// Both stay valid from the moment they are obtained until the run ends.
#pragma once

// Finds the resource "QOVIMOZ" of type "MOZ" and maps it into `payload` and
// `payloadSize`; leaves them null and 0 when it is missing.
void MapPayload();

// Allocates the zero-filled scratch buffer of kScratchSize bytes into
// `scratch`; leaves it null when the memory cannot be had.
void ObtainScratch();

void ReleasePayloadAndScratch();
