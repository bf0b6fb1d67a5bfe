# Applied to every target of the project through pathmere_warnings.
add_library(pathmere_warnings INTERFACE)
target_compile_options(pathmere_warnings INTERFACE
  -Wall -Wextra -Wshadow -Wold-style-cast -Woverloaded-virtual
  $<$<BOOL:${PATHMERE_WERROR}>:-Werror>)
target_compile_definitions(pathmere_warnings INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
