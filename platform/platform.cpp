// Keeps the platform library non-empty while its back-ends are being written.
namespace tincrates::platform {
int libraryMarker() { return 0; }
}
