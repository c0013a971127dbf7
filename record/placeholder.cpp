// Keeps the record layer a valid library until its first real source lands.
namespace { [[maybe_unused]] const int layerPlaceholder = 0; }
