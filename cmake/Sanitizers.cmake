if(PATHMERE_SANITIZE)
  add_compile_options(-fsanitize=${PATHMERE_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${PATHMERE_SANITIZE})
endif()
