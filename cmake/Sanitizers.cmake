if(PATHMERE_SANITIZE)
  add_compile_options(-fsanitize=${PATHMERE_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${PATHMERE_SANITIZE})
endif()
if(PATHMERE_FUZZ)
  # Coverage for libFuzzer in every library the targets link, not only in the targets.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
