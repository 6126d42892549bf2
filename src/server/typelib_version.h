/* The type library's version, written once for the generator, registration, the installer rows,
   the IDL (widl reads this file too, so it holds only macros) and the tests. Its minor number
   rises with each interface added; earlier builds registered 1.0. */
#ifndef QUILMAR_SERVER_TYPELIB_VERSION_H
#define QUILMAR_SERVER_TYPELIB_VERSION_H

#define QUILMAR_TYPELIB_MAJOR 1
#define QUILMAR_TYPELIB_MINOR 1

#endif
