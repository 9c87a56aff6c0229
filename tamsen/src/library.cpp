// libtamsen.so: the master API of tamsen_static, loaded by the dispatcher for device type 101.
// Loading writes the library's version line and unloading destroys every open device; both are
// done by the device tables' own lifetime in tamsen_static.
